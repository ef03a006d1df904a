#include "grid/GridLibRVL.h"

#include "grid/DatasetFeatures.h"
#include "oracle_data/OracleData.h"

void RegisterOracleDatasetFeatures() {
  RegisterDatasetFeatures(FeaturesClass<TSQLDatasetFeaturesEx>(), TOracleDataSet::StaticClass());
}
